#pragma once

// Seeded property tests: CI runs a fixed range of seeds; a longer run by
// hand sets, in the environment,
//   VORNA_PROPERTY_SEEDS       the number of seeds,
//   VORNA_PROPERTY_FIRST_SEED  the first one (0 by default),
//   VORNA_PROPERTY_THREADS     the most pool threads a conversion may use
//                              (no limit by default; 1 runs everything on
//                              the calling thread).
// Header only: it needs the task layer, which links oneTBB.

#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <absl/strings/str_cat.h>

#include <conversion/common/tasks.h>
#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>

#include <support/block_fixtures.h>

namespace vorna
{
    namespace test
    {
        inline index_t environment_number( const char* name, index_t fallback )
        {
            const char* text = std::getenv( name );
            return text ? static_cast< index_t >(
                              std::strtoul( text, nullptr, 10 ) )
                        : fallback;
        }

        /// The random choices of a generator of messy inputs.
        class Randomness
        {
          public:
            explicit Randomness( index_t seed ) : engine_( seed ) {}

            /// One of 0 to size - 1.
            index_t pick( std::size_t size )
            {
                return std::uniform_int_distribution< index_t >{
                    0, static_cast< index_t >( size - 1 ) }( engine_ );
            }

            bool chance( double probability )
            {
                return std::bernoulli_distribution{ probability }( engine_ );
            }

            double real( double low, double high )
            {
                return std::uniform_real_distribution< double >{ low, high }(
                    engine_ );
            }

          private:
            std::mt19937 engine_;
        };

        /// Stores `values`, one per element, as the element attribute
        /// "region" of the manager, in one of several value types: int,
        /// sparse unsigned ids that a float would confuse, double (signed
        /// zeros, a few NaNs), float (a few NaNs) or text (which no number
        /// reads, so one region). Returns what it chose.
        inline std::string add_regions( AttributeManager& manager,
                                        const std::vector< double >& values,
                                        Randomness& random )
        {
            const auto set_all = [&]( auto attribute, auto convert )
            {
                for( index_t e = 0; e < values.size(); e++ )
                {
                    attribute->set_value( e, convert( values[e] ) );
                }
            };
            const auto nan = std::numeric_limits< double >::quiet_NaN();
            switch( random.pick( 5 ) )
            {
            case 0:
                set_all(
                    manager.find_or_create_attribute< VariableAttribute, int >(
                        "region", 0 ),
                    []( double value )
                    { return static_cast< int >( value ); } );
                return "int regions";
            case 1:
                set_all( manager.find_or_create_attribute< SparseAttribute,
                                                           unsigned int >(
                             "region", 7 ),
                         []( double value ) {
                             return 16777216u +
                                    static_cast< unsigned int >( value ) % 2;
                         } );
                return "sparse unsigned regions";
            case 2:
                set_all(
                    manager.find_or_create_attribute< VariableAttribute,
                                                      double >( "region", 0. ),
                    [&]( double value )
                    {
                        return random.chance( 0.05 ) ? nan
                               : value == 0
                                   ? ( random.chance( 0.5 ) ? -0. : 0. )
                                   : value;
                    } );
                return "double regions";
            case 3:
                set_all(
                    manager.find_or_create_attribute< VariableAttribute,
                                                      float >( "region", 0.f ),
                    [&]( double value )
                    {
                        return random.chance( 0.05 )
                                   ? static_cast< float >( nan )
                                   : static_cast< float >( value );
                    } );
                return "float regions";
            default:
                set_all( manager.find_or_create_attribute< VariableAttribute,
                                                           std::string >(
                             "region", "" ),
                         []( double value ) { return absl::StrCat( value ); } );
                return "text regions";
            }
        }

        /// What is wrong with one conversion: `convert_and_check` converts
        /// and says what is wrong with the model (empty when sound); a
        /// CorvaneException whose message names its operation in square
        /// brackets is a sound refusal of an input that `may_refuse`.
        template < typename ConvertAndCheck >
        std::string refused_or_sound( bool may_refuse,
                                      const ConvertAndCheck& convert_and_check )
        {
            try
            {
                return convert_and_check();
            }
            catch( const CorvaneException& error )
            {
                const std::string message = error.what();
                if( !may_refuse )
                {
                    return absl::StrCat( "refused: ", message );
                }
                if( message.empty() || message.front() != '[' )
                {
                    return absl::StrCat( "no operation named: ", message );
                }
                return {};
            }
            catch( const std::exception& error )
            {
                return absl::StrCat( "exception: ", error.what() );
            }
        }

        /// Runs check(seed) for the seeds [first, first + nb_seeds), with
        /// the logger quiet and the thread limit of the environment; check
        /// returns what went wrong, empty when the case is sound. Each
        /// unsound seed is one failure.
        template < typename Check >
        void expect_sound_seeds( index_t first,
                                 index_t nb_seeds,
                                 const Check& check )
        {
            ConversionModel::initialize();
            std::unique_ptr< detail::ThreadLimit > limit;
            if( const auto threads =
                    environment_number( "VORNA_PROPERTY_THREADS", 0 ) )
            {
                limit = std::make_unique< detail::ThreadLimit >( threads );
            }
            index_t nb_unsound{ 0 };
            for( auto seed = first; seed < first + nb_seeds; seed++ )
            {
                const LogCapture quiet;
                const std::string problem = check( seed );
                if( !problem.empty() )
                {
                    nb_unsound++;
                    ADD_FAILURE() << "seed " << seed << " " << problem;
                }
            }
            EXPECT_EQ( nb_unsound, 0u );
        }

        /// expect_sound_seeds over the seeds the environment names, by
        /// default `nb_seeds` from 0.
        template < typename Check >
        void expect_sound_environment_seeds( index_t nb_seeds,
                                             const Check& check )
        {
            expect_sound_seeds(
                environment_number( "VORNA_PROPERTY_FIRST_SEED", 0 ),
                environment_number( "VORNA_PROPERTY_SEEDS", nb_seeds ),
                check );
        }
    } // namespace test
} // namespace vorna
